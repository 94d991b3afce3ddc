#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
uniform mat4 mViewMatrix;
layout(location = 0) in vec4 vVertex;
layout(location = 1) in vec3 vNormal;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 6) in vec3 vTangent;
out vec4 vVectorPosition;
out vec2 vTexCoord;
out mat3 mTBN;
out vec3 vEyeDirection;
out mat3 mViewToWorld;

void main() {
	vVectorPosition = mModelViewMatrix * vVertex;
	gl_Position = mProjectionMatrix * vVectorPosition;
	vVectorPosition.w = 1.0;
	vec3 n = normalize(mNormalMatrix * vNormal);
	vec3 t = normalize(mNormalMatrix * vTangent);
	mTBN = mat3(t, cross(n, t), n);
	vTexCoord = vTexCoord0;
	vEyeDirection = normalize(vVectorPosition.xyz);
	// The reflection is found in view space; the cube map is laid out in the world. The view
	// rotation's inverse is its transpose.
	mViewToWorld = transpose(mat3(mViewMatrix));
}
