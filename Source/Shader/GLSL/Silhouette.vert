#version 330
// A rim of light drawn over a lit surface: pushed out a little so it wins the depth test.
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
in vec4 vVertex;
in vec3 vNormal;
in vec2 vTexCoord0;
in vec3 vTangent;
out vec2 vTexCoord;
out vec3 vEyeDirection;
out vec3 vLightDirection;

void main() {
	vec4 vPosition = mModelViewMatrix * vec4(vVertex.xyz + vNormal * 0.001, vVertex.w);
	vec3 n = normalize(mNormalMatrix * vNormal);
	vec3 t = normalize(mNormalMatrix * vTangent);
	mat3 mTBN = mat3(t, cross(n, t), n);
	vEyeDirection = vPosition.xyz * mTBN;
	vLightDirection = vec3(0.0, 0.0, 1.0) * mTBN;
	vTexCoord = vTexCoord0;
	gl_Position = mProjectionMatrix * vPosition;
}
