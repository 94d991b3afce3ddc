#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
layout(std140) uniform Misc {
	vec2 vMapSize;
	float fNear;
	float fFar;
};
uniform vec3 vLightDir;
uniform mat4 mViewMatrix;
in vec4 vVertex;
in vec3 vNormal;
in vec2 vTexCoord0;
in vec3 vTangent;
out vec2 vTexCoord;
out vec3 vEyeDirection;
out vec3 vLightDirection;
out vec3 vEyeReflectionDirection;
out mat3 mEyeReflectionMatrix;
out float fLDepth;

float LinearizeDepth(float Depth) {
	return (2.0 * fNear) / (fFar + fNear - Depth * (fFar - fNear));
}

void main() {
	vec4 vVertexPosition = mModelViewMatrix * vVertex;
	vec3 n = normalize(mNormalMatrix * vNormal);
	vec3 t = normalize(mNormalMatrix * vTangent);
	mat3 mTBN = mat3(t, cross(n, t), n);
	vTexCoord = vTexCoord0;
	vEyeDirection = -vVertexPosition.xyz * mTBN;
	vLightDirection = vLightDir * mTBN;
	vEyeReflectionDirection = normalize(vVertexPosition.xyz);
	mEyeReflectionMatrix = mat3(mViewMatrix);
	gl_Position = mProjectionMatrix * vVertexPosition;
	fLDepth = LinearizeDepth(gl_Position.z / gl_Position.w);
}
